#include "programs/render_mode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cli/printed_text.h"
#include "models/island_model.h"
#include "models/animation.h"
#include "views/island_view.h"
#include "core/sessions/strict_decimal.h"

namespace wren::RenderMode {

std::optional<std::string> requested(const char* value) {
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

bool writeFile(const std::string& path, const std::string& bytes, std::string& error) {
    // Non-blocking, so a FIFO without a reader fails at once instead of hanging the process.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return false;
    }
    bool ok = ::ftruncate(fd, 0) == 0;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (!ok) error = std::strerror(errno != 0 ? errno : EIO);
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

int run(const std::string& path) {
    anim::Animator::instance().setDisabled(true);  // the settled island, nothing in flight

    IslandModel model;
    WrenContextWidget& widget = model.widget();
    widget.refreshNow();

    const char* forceOpen = std::getenv("WRENISLAND_FORCE_OPEN");
    if (forceOpen != nullptr && std::strcmp(forceOpen, "1") == 0) {
        // Start-up also marks the island hovered, which only refreshes in the background; the
        // picture shows the data just loaded, so that read is skipped here.
        model.setExpanded(true);
        const char* select = std::getenv("WRENISLAND_FORCE_SELECT");
        const std::optional<std::int64_t> n =
            select != nullptr ? parseStrictDecimal(select) : std::nullopt;
        const auto count = static_cast<std::int64_t>(widget.sessions().size());
        if (n && *n >= 1 && *n <= count) {
            widget.toggleSelection(widget.sessions()[static_cast<std::size_t>(*n - 1)].id);
        }
    }

    IslandView view(model);
    view.resize(view.sizeHint());
    view.advance(anim::Animator::instance().now());
    const QImage image = view.renderToImage(1);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string error = "could not encode the picture";
    if (!image.save(&buffer, "PNG") ||
        !writeFile(path, std::string(png.constData(), static_cast<std::size_t>(png.size())),
                   error)) {
        std::fprintf(stderr, "wrenisland: cannot write %s: %s\n",
                     PrintedText::forTerminal(path).c_str(), error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace wren::RenderMode
