#pragma once

#include "downloadrecord.h"
#include "runcontext.h"

#include <optional>

// The retry button: saves every remembered failure once more and keeps only those that fail
// again, in their order, with a line for each and one for the whole. Listing and album pages
// the run could not have are read again, and the albums they lead to processed as an update.
class RetryAction
{
  public:
    explicit RetryAction(RunContext& context) : m_context(context) {}

    // Always true: a retry always takes place, if only to say there is nothing to retry.
    bool run();

  private:
    void remember(std::optional<DownloadRecord>& record, const FailedPicture& picture,
                  qint64 bytes);
    // A picture whose page gave no address gets one from its page, read again now.
    FailedPicture addressed(FailedPicture picture);
    void retryPictures();
    // The listing and album pages the run could not have, and what they lead to.
    void retryPages();

    RunContext& m_context;
};
