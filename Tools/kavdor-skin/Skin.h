#pragma once
// What kavdor-skin makes, part by part, and the table of names the engine and the module ask for,
// shared with the test that checks each one is there.

#include <cstdint>
#include <string>
#include <vector>

#include "SkinOutput.h"

namespace skin
{
// One piece of the GUI configuration: the control kind, the piece ("" for a kind whose "file" and
// "data" sit on the kind element itself), the texture-info set and the image ID it names, and
// whether the ID is the base of four state images (<id>_0 ... <id>_3).
struct GuiPiece
{
    std::string kind;
    std::string piece;
    std::string set;
    std::string id;
    bool states;
};
const std::vector<GuiPiece>& GuiPieces();

// A picture the code asks for by set and ID, outside the GUI configuration, and the image
// directory that is current when it asks (relative to the runtime folder): the host's "image",
// or the game's own folder while the game loads its pictures.
struct Named
{
    std::string set;
    std::string id;
    std::string directory = "image";
};
// The card pictures ("card": "1_0" ... "13_3", "53", "54"), the message box's buttons and panel.
std::vector<Named> CodeNamedPictures();
// The table's pictures: the lobby's table, stools and ready mark, the game's icon, the table
// dialog's background, logo and system buttons, the card backs, the action bar, the play
// window's marks and boxes and its tool bar. Buttons are listed with their four states.
void WriteTable(Output& out);
std::vector<Named> TableNamedPictures();

// A sound the host and the game play, by its path below the runtime folder (".wav" files are
// written as WAV, the others as Ogg Vorbis). Effects are synthesised; voices speak their words.
enum class SoundKind
{
    Effect,
    MaleVoice,
    FemaleVoice,
};
struct SoundFile
{
    std::string path;
    SoundKind kind;
    // What a voice says, UTF-8 Chinese, with a syllable in pinyin where the speech synthesiser
    // would read a character in the wrong tone; empty for effects.
    std::string words;
    // How an effect is made: 16-bit mono samples at 22,050 Hz; null for voices.
    std::vector<int16_t> (*effect)() = nullptr;
};
const std::vector<SoundFile>& SoundFiles();

void WriteGuiSkin(Output& out);
void WriteCards(Output& out);
void WriteSounds(Output& out);
// The digit fonts (names as registered, and the characters each carries).
std::vector<std::string> DigitFontNames();
std::string DigitFontCharacters();
void WriteDigitFonts(Output& out);
// config.ini, the chat panel's common phrases (UTF-8 here, GBK in the file), the save folder.
const std::vector<std::string>& ChatPhrases();
void WriteSettings(Output& out);
// The 18 face animations (image\face\<n>.zip) with their 24-pixel stills for chat lines (set
// "face", ID the face's code "/01" ... "/18": the text the face picker puts into a chat line and
// the rich text box shows as the face), the 4 prop animations (image\prop\effect_<n>.zip), the
// player portraits (set "Player", "Player_<n>") and the portrait of a player without one
// (image\Role\malemask.tga).
int FaceCount();
std::string FaceCode(int n);
int PropCount();
int PortraitCount();
void WriteFaces(Output& out);
// The pictures the table's own windows name in "gameWndEX" and "gameWnd": the seat buttons, the
// stake buttons, the turn clock, the chat panel, the tool and package bars and the player list.
// The names are every picture those windows ask for (each state of a button, each image of a
// check box), all in the host's image directory.
void WriteFrame(Output& out);
std::vector<Named> FrameNamedPictures();
// One picture of every generated picture, for people to look at.
Picture ContactSheet(const Output& out);
} // namespace skin
