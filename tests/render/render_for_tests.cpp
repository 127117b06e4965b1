// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/render/render_for_tests.h"

#include <sndfile.h>

#include <QFile>
#include <algorithm>
#include <stdexcept>

namespace trovik::testing {

QByteArray beatFileBytes(int interval, const std::vector<int>& cellsOn) {
    QByteArray bytes = "\"Beat name here\",\"Author\",\"Info\"," + QByteArray::number(interval);
    for (int command = 3; command <= 50; ++command) {
        bytes += command == 3 || command % 10 == 1 ? "\r\n" : ",";  // lines start at 3, 11, 21, ...
        bytes += std::ranges::count(cellsOn, command) ? "\"O\"" : "\"\"";
    }
    return bytes + "\r\n";
}

QByteArray workedExampleBeat() {
    return beatFileBytes(150, {3, 7, 11, 15, 22, 30});
}

void writeFile(const std::filesystem::path& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.string());
}

QByteArray readFile(const std::filesystem::path& path) {
    if (!std::filesystem::is_regular_file(path)) return {};  // a pipe would wait
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

Wav readWav(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != 2)
        throw std::runtime_error("no stereo WAV " + path.string());
    Wav wav;
    wav.rate = info.samplerate;
    wav.format = info.format;
    wav.interleaved.resize(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_float(file, wav.interleaved.data(), info.frames);
    sf_close(file);
    return wav;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<float> placeHits(const std::vector<Hit>& hits, std::int64_t frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2, 0.0f);
    for (std::size_t k = 0; k < hits.size(); ++k) {
        const std::int64_t cut = k + 1 < hits.size() ? hits[k + 1].frame : frames;
        const Sample& sample = *hits[k].sample;
        const std::int64_t end = std::min({cut, frames, hits[k].frame + sample.frameCount()});
        for (std::int64_t i = std::max<std::int64_t>(hits[k].frame, 0); i < end; ++i) {
            const float* from = sample.frame(static_cast<int>(i - hits[k].frame));
            out[static_cast<std::size_t>(i) * 2] = from[0];
            out[static_cast<std::size_t>(i) * 2 + 1] = from[1];
        }
    }
    return out;
}

std::int64_t gridFrame(std::int64_t n, int intervalMs, int rate) {
    return (2 * n * intervalMs * rate + 1000) / 2000;
}

}  // namespace trovik::testing
