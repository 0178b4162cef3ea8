#pragma once

// How long a fetch may take, in seconds, from its start to its last byte: pictures get longer
// than pages, being larger.
constexpr double pageTimeLimitSeconds = 5;
constexpr double pictureTimeLimitSeconds = 10;
