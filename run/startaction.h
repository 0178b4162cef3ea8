#pragma once

#include "runcontext.h"

// The start button: checks the forum name, walks the forum's listing pages for album
// addresses, prepares the forum folder and hands the albums to the album processing.
class StartAction
{
  public:
    explicit StartAction(RunContext& context) : m_context(context) {}

    // False when no run took place: the name box held no name.
    bool run();

  private:
    QStringList crawlListing(const QString& listingBase);

    RunContext& m_context;
};
