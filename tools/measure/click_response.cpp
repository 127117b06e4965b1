// SPDX-License-Identifier: GPL-3.0-or-later
// How fast a window answers clicks: clicks points of the window in turn,
// one every period, through the X server's XTEST extension (as a real mouse
// would), and after each click polls the pixels around the point until they
// change. The time from sending the click to the changed pixels is the
// window's answer. Optionally double-clicks another point once, at a given
// time, in the slot of a click (for opening a folder in a list while the
// clicks go on).
//
// usage: click_response <window-id> <seconds> <period-ms> <limit-ms> x,y...
//                       [--double-click-at seconds x,y]
// Prints every answer slower than the limit and a summary. Exits 0 when
// every click was answered within the limit, 1 when not, 2 on an error.

#include <sys/uio.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Pixels watched around a clicked point, on each side.
constexpr int kHalfBox = 7;
// A click not answered by then counts as never answered.
constexpr auto kGiveUpAfter = 5s;
constexpr auto kDoubleClickGap = 80ms;
// A button may repaint when the pointer comes over it; the pixels from
// before the click are taken once they have been still this long.
constexpr auto kStillFor = 30ms;

struct Point {
    int x = 0, y = 0;
};

std::optional<Point> parsePoint(const std::string& text) {
    int x = 0, y = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d,%d%c", &x, &y, &end) != 2) return std::nullopt;
    return Point{x, y};
}

struct Options {
    xcb_window_t window = 0;
    double seconds = 0;
    std::chrono::milliseconds period{0};
    double limitMs = 0;
    std::vector<Point> points;
    std::optional<double> doubleClickAt;
    Point doubleClickPoint;
};

std::optional<Options> parse(int argc, char** argv) {
    if (argc < 6) return std::nullopt;
    Options o;
    o.window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    o.seconds = std::atof(argv[2]);
    o.period = std::chrono::milliseconds(std::atoi(argv[3]));
    o.limitMs = std::atof(argv[4]);
    for (int i = 5; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--double-click-at" && i + 2 < argc) {
            o.doubleClickAt = std::atof(argv[++i]);
            const auto point = parsePoint(argv[++i]);
            if (!point) return std::nullopt;
            o.doubleClickPoint = *point;
        } else if (const auto point = parsePoint(arg)) {
            o.points.push_back(*point);
        } else {
            return std::nullopt;
        }
    }
    if (o.window == 0 || o.period.count() <= 0 || o.points.empty()) return std::nullopt;
    return o;
}

// XTEST's FakeInput request, sent by hand: the X server takes it as input
// from the core pointer, exactly as from a real mouse.
struct FakeInputRequest {
    std::uint8_t majorOpcode = 0;  // filled in by xcb
    std::uint8_t minorOpcode = 2;
    std::uint16_t length = 9;  // in 4-byte units
    std::uint8_t type = 0;
    std::uint8_t detail = 0;
    std::uint16_t pad0 = 0;
    std::uint32_t time = 0;  // no delay
    std::uint32_t root = 0;
    std::uint32_t pad1[2] = {};
    std::int16_t rootX = 0, rootY = 0;
    std::uint32_t pad2 = 0;
    std::uint16_t pad3 = 0;
    std::uint8_t pad4 = 0;
    std::uint8_t deviceId = 0;
};
static_assert(sizeof(FakeInputRequest) == 36);

xcb_extension_t xtestExtension = {"XTEST", 0};

class Screen {
  public:
    Screen(xcb_connection_t* connection, xcb_window_t window) : c_(connection), window_(window) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }

    bool hasXtest() {
        const xcb_query_extension_reply_t* reply = xcb_get_extension_data(c_, &xtestExtension);
        return reply != nullptr && reply->present;
    }

    // The window's point on the root window, where XTEST puts the pointer.
    std::optional<Point> onRoot(Point p) {
        auto* reply = xcb_translate_coordinates_reply(
            c_,
            xcb_translate_coordinates(c_, window_, root_, static_cast<std::int16_t>(p.x),
                                      static_cast<std::int16_t>(p.y)),
            nullptr);
        if (reply == nullptr) return std::nullopt;
        const Point result{reply->dst_x, reply->dst_y};
        std::free(reply);
        return result;
    }

    bool fake(std::uint8_t type, std::uint8_t detail, Point rootPoint = {}) {
        FakeInputRequest request;
        request.type = type;
        request.detail = detail;
        request.root = root_;
        request.rootX = static_cast<std::int16_t>(rootPoint.x);
        request.rootY = static_cast<std::int16_t>(rootPoint.y);
        iovec parts[3];
        parts[2].iov_base = &request;
        parts[2].iov_len = sizeof request;
        xcb_protocol_request_t protocol = {1, &xtestExtension, 2, 1};
        const xcb_void_cookie_t cookie{
            static_cast<unsigned>(xcb_send_request(c_, XCB_REQUEST_CHECKED, parts + 2, &protocol))};
        xcb_generic_error_t* error = xcb_request_check(c_, cookie);
        std::free(error);
        return error == nullptr;
    }

    bool moveTo(Point rootPoint) { return fake(XCB_MOTION_NOTIFY, 0, rootPoint); }
    bool click() { return fake(XCB_BUTTON_PRESS, 1) && fake(XCB_BUTTON_RELEASE, 1); }

    // The pixels around a point of the window; empty if the window is gone.
    std::vector<std::uint8_t> around(Point p) {
        auto* reply = xcb_get_image_reply(c_,
                                          xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_,
                                                        static_cast<std::int16_t>(p.x - kHalfBox),
                                                        static_cast<std::int16_t>(p.y - kHalfBox),
                                                        2 * kHalfBox + 1, 2 * kHalfBox + 1, ~0u),
                                          nullptr);
        if (reply == nullptr) return {};
        const std::uint8_t* data = xcb_get_image_data(reply);
        std::vector<std::uint8_t> pixels(data, data + xcb_get_image_data_length(reply));
        std::free(reply);
        return pixels;
    }

  private:
    xcb_connection_t* c_;
    xcb_window_t window_;
    xcb_window_t root_ = 0;
};

std::vector<std::uint8_t> stillPixels(Screen& screen, Point point) {
    std::vector<std::uint8_t> last = screen.around(point);
    auto stillSince = Clock::now();
    while (!last.empty() && Clock::now() - stillSince < kStillFor) {
        std::this_thread::sleep_for(5ms);
        std::vector<std::uint8_t> now = screen.around(point);
        if (now != last) {
            last = std::move(now);
            stillSince = Clock::now();
        }
    }
    return last;
}

struct Answer {
    double atSeconds = 0;  // when the click was sent, from the start
    std::optional<double> ms;
};

// Clicks the point and waits for its pixels to change.
std::optional<Answer> clickAndWait(Screen& screen, Point point, Clock::time_point start) {
    const auto rootPoint = screen.onRoot(point);
    if (!rootPoint || !screen.moveTo(*rootPoint)) return std::nullopt;
    const std::vector<std::uint8_t> before = stillPixels(screen, point);
    if (before.empty()) return std::nullopt;
    const auto sent = Clock::now();
    if (!screen.click()) return std::nullopt;
    Answer answer{std::chrono::duration<double>(sent - start).count(), std::nullopt};
    while (Clock::now() - sent < kGiveUpAfter) {
        const std::vector<std::uint8_t> now = screen.around(point);
        if (now.empty()) return std::nullopt;
        if (now != before) {
            answer.ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
            break;
        }
        std::this_thread::sleep_for(1ms);
    }
    return answer;
}

bool doubleClick(Screen& screen, Point point) {
    const auto rootPoint = screen.onRoot(point);
    if (!rootPoint || !screen.moveTo(*rootPoint) || !screen.click()) return false;
    std::this_thread::sleep_for(kDoubleClickGap);
    return screen.click();
}

double slowness(const Answer& a) {
    return a.ms ? *a.ms : std::numeric_limits<double>::infinity();
}

// Prints the slow answers and a verdict line; true when every click was
// answered within the limit.
bool summarise(const std::vector<Answer>& answers, const Options& o,
               std::optional<double> doubleClickedAt) {
    std::size_t late = 0;
    for (const Answer& a : answers) {
        if (slowness(a) <= o.limitMs) continue;
        ++late;
        if (a.ms)
            std::printf("slow answer: %.1f ms to the click at %.3f s\n", *a.ms, a.atSeconds);
        else
            std::printf("no answer within %lld s to the click at %.3f s\n",
                        static_cast<long long>(kGiveUpAfter.count()), a.atSeconds);
    }
    if (o.doubleClickAt && !doubleClickedAt) {
        std::printf("verdict: FAILED: the double-click was never sent\n");
        return false;
    }
    if (answers.empty()) {
        std::printf("verdict: FAILED: no click was sent\n");
        return false;
    }
    const Answer& slowest = *std::max_element(
        answers.begin(), answers.end(),
        [](const Answer& a, const Answer& b) { return slowness(a) < slowness(b); });
    char answer[64] = "no answer";
    if (slowest.ms) std::snprintf(answer, sizeof answer, "%.1f ms", *slowest.ms);
    if (late == 0) {
        std::printf("verdict: OK: all %zu clicks answered within %.0f ms, the slowest in %s\n",
                    answers.size(), o.limitMs, answer);
        return true;
    }
    std::printf(
        "verdict: FAILED: %zu of %zu clicks answered after more than %.0f ms; the slowest: "
        "%s to the click at %.3f s",
        late, answers.size(), o.limitMs, answer, slowest.atSeconds);
    if (doubleClickedAt) std::printf(" (double-click at %.3f s)", *doubleClickedAt);
    std::printf("\n");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s <window-id> <seconds> <period-ms> <limit-ms> x,y... "
                     "[--double-click-at seconds x,y]\n",
                     argv[0]);
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "click_response: cannot connect to the X server\n");
        return 2;
    }
    Screen screen(connection, options->window);
    if (!screen.hasXtest()) {
        std::fprintf(stderr, "click_response: the X server has no XTEST extension\n");
        return 2;
    }
    std::vector<Answer> answers;
    std::optional<double> doubleClickedAt;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(options->seconds);
    auto slot = start;
    for (std::size_t i = 0; slot < end; slot += options->period) {
        std::this_thread::sleep_until(slot);
        const double now = std::chrono::duration<double>(Clock::now() - start).count();
        if (options->doubleClickAt && !doubleClickedAt && now >= *options->doubleClickAt) {
            if (!doubleClick(screen, options->doubleClickPoint)) break;
            std::printf("double-clicked at %.3f s\n", now);
            doubleClickedAt = now;
            continue;
        }
        const auto answer =
            clickAndWait(screen, options->points[i++ % options->points.size()], start);
        if (!answer) {
            std::fprintf(stderr, "click_response: the window went away\n");
            xcb_disconnect(connection);
            return 2;
        }
        answers.push_back(*answer);
        slot = std::max(slot, Clock::now() - options->period);  // no burst after a slow answer
    }
    xcb_disconnect(connection);
    return summarise(answers, *options, doubleClickedAt) ? 0 : 1;
}
