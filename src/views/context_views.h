#pragma once

#include <QPointer>
#include <map>
#include <string>
#include <vector>

#include "views/island_layout.h"
#include "views/island_part.h"
#include "views/session_detail.h"

namespace wren {

class SessionEntry;
class WrenContextWidget;

/// The collapsed island's content: today's tokens left of the notch, time worked and active
/// sessions right of it, and the newest session's line below.
class WrenContextStrip final : public IslandPart {
    Q_OBJECT

  public:
    explicit WrenContextStrip(const WrenContextWidget& widget, QWidget* parent = nullptr);
    void setIslandLayout(const IslandLayout& layout);
    void setInset(double inset);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const WrenContextWidget& widget_;
    IslandLayout layout_;
    double inset_ = 14;
};

/// The open island's content: the same band as a header, then one entry per session.
class WrenContextView final : public IslandPart {
    Q_OBJECT

  public:
    explicit WrenContextView(const WrenContextWidget& widget, QWidget* parent = nullptr);
    void setIslandLayout(const IslandLayout& layout);
    void setSelection(IslandSelection selection, const anim::Motion& motion);
    void setInsets(double header, double body);
    void setActions(RowActionHandlers actions);

    /// Rebuilds the list from the widget, keeping the entry of every session still listed.
    void syncSessions();
    const std::vector<SessionEntry*>& entries() const { return entries_; }

    bool advance(double now) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void applySelection(SessionEntry* entry, const anim::Motion& motion);

    const WrenContextWidget& widget_;
    IslandLayout layout_;
    IslandSelection selection_;
    double headerInset_ = 14;
    double bodyInset_ = 18;
    RowActionHandlers actions_ = RowActionHandlers::immediate();
    std::vector<SessionEntry*> entries_;
};

/// The right-hand group shared by the strip and the header: "2h 5m · 3 active".
void paintActivityGroup(QPainter& painter, const QRectF& column, const WrenContextWidget& widget,
                        double opacity, const QPaintDevice* device);

}  // namespace wren
