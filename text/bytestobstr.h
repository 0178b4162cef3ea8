#pragma once

#include "web/fetchresult.h"

// Decodes the body bytes of a fetch result under the character set `charset`. Anything that
// is not body bytes, and a character set nobody knows, gives the empty text.
QString BytesToBstr(const FetchResult& body, const QString& charset);
