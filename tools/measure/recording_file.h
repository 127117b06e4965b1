// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

namespace trovik::onsets {

// The left channel of a recording, as the measuring tools read it.
struct Sound {
    int rate = 0;
    std::vector<float> left;
};

// Any file libsndfile reads; none when it cannot be read.
std::optional<Sound> readLeftChannel(const char* path);

}  // namespace trovik::onsets
