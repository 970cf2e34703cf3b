#include "desktop/finish_notifications.h"

#include "platform/desktop_notifier.h"
#include "models/row_actions.h"
#include "models/wren_context_widget.h"

namespace wren {

FinishNotifications::FinishNotifications(WrenContextWidget& widget, std::function<bool()> enabled,
                                         QObject* parent)
    : QObject(parent),
      widget_(widget),
      enabled_(std::move(enabled)),
      notifier_(std::make_unique<DesktopNotifier>()) {
    // What is finished at start was finished before the island looked: no news.
    watch_.update(widget_.sessions(), widget_.now());
    connect(&widget_, &WrenContextWidget::sessionsChanged, this,
            &FinishNotifications::sessionsChanged);
}

FinishNotifications::~FinishNotifications() = default;

std::optional<QString> FinishNotifications::unavailableReason() const {
    return notifier_->unavailableReason();
}

void FinishNotifications::sessionsChanged() {
    const std::vector<SessionSummary> finished = watch_.update(widget_.sessions(), widget_.now());
    if (!enabled_() || finished.empty() || notifier_->unavailableReason()) return;
    for (const SessionSummary& session : finished) {
        const FinishNotice notice = finishNotice(session);
        notifier_->notify(
            QString::fromStdString(notice.title), QString::fromStdString(notice.body),
            [session] { RowActionHandlers::inBackground().open(session, [](HintChange) {}); });
    }
}

}  // namespace wren
