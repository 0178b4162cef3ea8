#pragma once

class TransferEngine;

// How many transfers a run or a retry keeps asked for ahead of what it reads: none when one
// transfer at a time is wanted, so that the requests go out exactly in the order it reads them.
int transfersAhead(const TransferEngine& network);
