#pragma once

#include "runcontext.h"

// The retry button: saves every remembered failure once more and keeps only those that fail
// again, in their order. It reports nothing in the progress list.
class RetryAction
{
  public:
    explicit RetryAction(const RunContext& context) : m_context(context) {}

    void run();

  private:
    const RunContext& m_context;
};
