#pragma once
// The host's side of the module's network: the dispatchers the module registers its sinks with
// (one for the room level, one for the game level), the sender its requests go out by, and the
// counts of what went each way, which the scripted runs check.

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "HostInterfaces.h"

// What crossed between the module and the server since the start.
struct HostTraffic
{
    // Messages delivered to a sink of the category and accepted / refused by it, and messages
    // no sink was registered for.
    std::map<int, int> accepted;
    std::map<int, int> refused;
    std::map<int, int> unrouted;
    // Requests the module sent, by category.
    std::map<int, int> sent;
};

// Keeps the sinks of one level by category; the host asks it whether it can take a message.
class HostDispatcherCL : public MsgDispatcher
{
public:
    bool Add(MsgSinkCL* sink) override;
    void Remove(MsgSinkCL* sink) override;
    // The sink registered for the category, or null.
    MsgSinkCL* Find(int category) const;

private:
    std::map<int, MsgSinkCL*> m_sinks;
};

// Routes the server's messages to the module and its requests to the server. A message goes to
// the game level's sink of its category when there is one (the module has entered a game),
// otherwise to the room level's.
class HostNetCL : public MsgSender
{
public:
    using Transmit = std::function<bool(const std::vector<uint8_t>& message)>;
    explicit HostNetCL(Transmit transmit) : m_transmit(std::move(transmit)) {}

    HostDispatcherCL& RoomLevel() { return m_room; }
    HostDispatcherCL& GameLevel() { return m_game; }

    // MsgSender: one whole message from the module.
    void Send(const uint8_t* bytes, int length) override;
    // One whole message from the server, of a module category (room or game).
    void Deliver(const uint8_t* bytes, size_t length);

    const HostTraffic& Traffic() const { return m_traffic; }

private:
    Transmit m_transmit;
    HostDispatcherCL m_room;
    HostDispatcherCL m_game;
    HostTraffic m_traffic;
};
