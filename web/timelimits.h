#pragma once

// How long a fetch may wait, in seconds: for its connection and its first byte, and then
// between any two bytes; one that keeps moving is never cut. Pictures get longer than pages,
// being larger.
constexpr double pageTimeLimitSeconds = 5;
constexpr double pictureTimeLimitSeconds = 10;
