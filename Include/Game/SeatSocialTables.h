#pragma once
// The faces a player can show on his seat and the props he can throw at another player's seat:
// the words each shows, and the sounds they play through the host's player objects.

#include <string>

constexpr int kSeatFaceCount = 18;
constexpr int kSeatPropEffectCount = 4;

// A face: its label in the face menu, the words of the bubble over the seat, and the line the
// chat record gets after the player's nickname. One face says different words by the sender's
// sex; the others have no male variant (null).
struct SeatFace
{
    const char* label;
    const char* bubble;
    const char* record;
    const char* maleBubble;
    const char* maleRecord;
};

// Face n (1 ... 18), or null.
const SeatFace* FindSeatFace(int n);
const char* SeatFaceBubble(const SeatFace& face, bool female);
const char* SeatFaceRecord(const SeatFace& face, bool female);
// The voice of face n by the sender's sex, relative to the host's sound folder.
std::string SeatFaceVoice(int n, bool female);

// A prop effect: the prop's name in the package, the purchase dialog's title and unit text, its
// line about the effect (null for a prop without one), and what the chat line says the thrower
// did after the target's name.
struct SeatPropEffect
{
    const char* name;
    const char* title;
    const char* unit;
    const char* effectLine;
    const char* action;
};

// Effect n (1 ... 4), or null.
const SeatPropEffect* FindSeatPropEffect(int n);
// The effect number of a package entry by its name; 0 for a name that is no interactive prop.
int SeatPropEffectByName(const std::string& name);
// The sound of effect n, relative to the host's sound folder.
std::string SeatPropSound(int n);
