// Watches the choice window from outside, as a camera on the screen would: polls a band of
// pixels through both "available" labels and logs each change of what it shows, and sends the
// participant's keys through XTest, logging the moment each was sent. Both on CLOCK_MONOTONIC.
//
//   screen-probe WINDOW-ID LOG < commands
// Commands, one a line: a key name for XStringToKeysym ("Left", "Right", "space"), or "quit".
// Log lines: "key NAME MS" and "screen STATE MS WIDTH", STATE one of green, black (answerable),
// white (options shown, not yet answerable) and blank, or message and unmessage for the break
// message coming and going; MS is the middle of the WIDTH milliseconds within which the change
// reached the screen.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

double nowMs()
{
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    return at.tv_sec * 1000.0 + at.tv_nsec / 1e6;
}

// At 96 dpi, 15 twips a pixel: the "available" labels inside their frames, in client coordinates.
struct Span {
    int left;
    int right;
};
constexpr int BandTop = (2520 + 2640) / 15 + 24; // the labels' top plus a third of their height
constexpr int BandRows = 6;
// The break message covers the screen from x 308 to 775; only what lies outside it is read, so the
// options behind a waiting break are still seen.
constexpr Span LeftLabel{(360 + 1080) / 15, 305};
constexpr Span RightLabel{780, (8400 + 960 + 4695) / 15};

// The break message's first line, where it crosses the gap between the two frames: the choice window
// never draws there, so dark pixels there are the message's text.
constexpr int MessageTop = 3975 / 15 + 720 / 15 + 12; // on the screen, not in the window
constexpr int MessageRows = 24;
constexpr Span FrameGap{(360 + 6615) / 15 + 6, 8400 / 15 - 6};

enum class Shown { Blank, White, Black, Green };

const char *name(Shown shown)
{
    switch (shown) {
    case Shown::Blank:
        return "blank";
    case Shown::White:
        return "white";
    case Shown::Black:
        return "black";
    case Shown::Green:
        return "green";
    }
    return "?";
}

Shown classify(XImage *image, int originX)
{
    bool white = false;
    bool black = false;
    for (int y = 0; y < image->height; ++y) {
        for (Span span : {LeftLabel, RightLabel}) {
            for (int x = span.left - originX; x < span.right - originX; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const unsigned red = (pixel >> 16) & 0xff, green = (pixel >> 8) & 0xff, blue = pixel & 0xff;
                if (red < 40 && blue < 40 && green > 100 && green < 160)
                    return Shown::Green;
                black = black || (red < 80 && green < 80 && blue < 80);
                white = white || (red >= 250 && green >= 250 && blue >= 250);
            }
        }
    }
    return black ? Shown::Black : white ? Shown::White : Shown::Blank;
}

bool anyDark(XImage *image)
{
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            if ((XGetPixel(image, x, y) & 0xffffff) < 0x505050)
                return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: screen-probe WINDOW-ID LOG < commands\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display || !XShmQueryExtension(display)) {
        std::fprintf(stderr, "screen-probe: no display with MIT-SHM\n");
        return 1;
    }
    FILE *log = std::fopen(argv[2], "w");
    if (!log) {
        std::perror(argv[2]);
        return 1;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const Window root = DefaultRootWindow(display);
    int originX = 0, originY = 0;
    Window child;
    XTranslateCoordinates(display, window, root, 0, 0, &originX, &originY, &child);

    auto band = [display](int width, int height) {
        auto *segment = new XShmSegmentInfo{};
        XImage *image = XShmCreateImage(display, DefaultVisual(display, DefaultScreen(display)),
                                        DefaultDepth(display, DefaultScreen(display)), ZPixmap, nullptr, segment, width,
                                        height);
        segment->shmid = shmget(IPC_PRIVATE, image->bytes_per_line * image->height, IPC_CREAT | 0600);
        segment->shmaddr = image->data = static_cast<char *>(shmat(segment->shmid, nullptr, 0));
        segment->readOnly = False;
        XShmAttach(display, segment);
        XSync(display, False);
        shmctl(segment->shmid, IPC_RMID, nullptr);
        return image;
    };
    XImage *image = band(RightLabel.right - LeftLabel.left, BandRows);
    XImage *message = band(FrameGap.right - FrameGap.left, MessageRows);

    const int left = originX + LeftLabel.left;
    const int top = originY + BandTop;
    bool first = true;
    Shown last = Shown::Blank;
    bool messageShown = false;
    double lastAskedMs = nowMs();
    std::string pending;
    for (;;) {
        const double askedMs = nowMs();
        XShmGetImage(display, root, image, left, top, AllPlanes);
        XShmGetImage(display, root, message, originX + FrameGap.left, MessageTop, AllPlanes);
        const double answeredMs = nowMs();
        const Shown shown = classify(image, LeftLabel.left);
        if (anyDark(message) != messageShown) {
            messageShown = !messageShown;
            std::fprintf(log, "screen %s %.3f %.3f\n", messageShown ? "message" : "unmessage",
                         (lastAskedMs + answeredMs) / 2, answeredMs - lastAskedMs);
        }
        if (first || shown != last) {
            // The change came after the server read the band for the look before, which was after
            // that look was asked for, and before this look's answer: the middle of the two, and
            // the width of that window.
            std::fprintf(log, "screen %s %.3f %.3f\n", name(shown), (lastAskedMs + answeredMs) / 2,
                         answeredMs - lastAskedMs);
            std::fflush(log);
            last = shown;
            first = false;
        }
        lastAskedMs = askedMs;
        // A look every quarter of a millisecond, and the commands as they come.
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const timespec quarter{0, 250'000};
        if (ppoll(&input, 1, &quarter, nullptr) <= 0 || !(input.revents & (POLLIN | POLLHUP)))
            continue;
        char buffer[256];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string command = pending.substr(0, end);
            if (command == "quit")
                return 0;
            const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(command.c_str()));
            if (!code)
                continue;
            const double sentMs = nowMs();
            XTestFakeKeyEvent(display, code, True, CurrentTime);
            XTestFakeKeyEvent(display, code, False, CurrentTime);
            XFlush(display);
            std::fprintf(log, "key %s %.3f\n", command.c_str(), sentMs);
            std::fflush(log);
        }
    }
    return 0;
}
