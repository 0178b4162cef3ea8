#include "transfersahead.h"

#include "web/transferengine.h"

namespace {

// Enough to keep every slot busy while pages wait on what they depend on, and few enough that
// closing mid-run abandons little.
constexpr int aheadPerTransfer = 4;

} // namespace

int transfersAhead(const TransferEngine& network)
{
    return network.maxTransfers() > 1 ? network.maxTransfers() * aheadPerTransfer : 0;
}
