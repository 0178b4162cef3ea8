#pragma once

#include "walkposition.h"

#include <optional>

class WalkSteps;
struct WalkServices;

// Asks for what the steps after the one being taken will need (album pages, picture pages,
// pictures), up to `ahead` transfers in flight, so that several run while the walk takes its
// steps one at a time.
class LookAhead
{
  public:
    LookAhead(WalkSteps& steps, WalkServices& services, int ahead)
        : m_steps(steps), m_services(services), m_ahead(ahead)
    {}

    // Asks for what is wanted next after `taken` (from the first step, when none is).
    void run(const std::optional<WalkPosition>& taken);

  private:
    // What is known of every step before the one looked at. A request is asked for ahead only
    // when the addresses of all earlier ones are known: an earlier step might ask for the same
    // address, and a server must see the requests of one address in the order one at a time
    // makes them. A picture's file is chosen only when every earlier one is, so that an update
    // names new pictures as one at a time would.
    struct Known
    {
        bool pages = true;    // every earlier page is read, every earlier picture named
        bool pictures = true; // every earlier picture's address is known
    };

    Known knownPast(const WalkPosition& taken) const;
    // Asks for what the step at `at` needs next. False once enough is asked for.
    bool lookAt(const WalkPosition& at, Known& known);
    bool lookAtPage(const WalkPosition& at, Known& known);
    bool lookAtPicture(const WalkPosition& at, Known& known);

    WalkSteps& m_steps;
    WalkServices& m_services;
    const int m_ahead;
};
