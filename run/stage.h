#pragma once

// A part of a run or a retry that goes on as its transfers end. Its owner calls advance() when it
// begins and again whenever the engine says transfers have finished, and drops it once it is
// done; dropping it earlier stops it where it is.
class Stage
{
  public:
    virtual ~Stage() = default;
    // Goes as far as what has arrived allows. True once nothing is left to do.
    virtual bool advance() = 0;
};
