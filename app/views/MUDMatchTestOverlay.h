#pragma once

#include <QColor>
#include <QList>
#include <memory>
#include <optional>

#include "core/CVRange.h"
#include "engine/automation/MUDMatchTest.h"

class MUDOutputModel;
class MUDTrigger;

// The trigger editor's match test over the output view: where the tested
// trigger matches in the visible text (a faint background) and its capture
// groups (underlines, a colour per group). Matching is the pure trigger
// matcher's, redone only when the visible range or the output changed.
// Main thread.
class MUDMatchTestOverlay {
public:
    struct Highlight {
        CVRange range;
        QColor background;
        QColor underline; // invalid for none
    };

    // The test to show; none clears it.
    void setMatchTest(const std::optional<MUDMatchTest>& matchTest);
    bool isShown() const { return m_trigger != nullptr; }
    // Brings the highlights up to date with `visible` of `output`, whose
    // changes `generation` counts.
    void update(const MUDOutputModel& output, CVRange visible, quint64 generation);
    // Output ranges; empty while no test is shown.
    const QList<Highlight>& highlights() const { return m_highlights; }

private:
    // The test as a trigger, the form the matcher takes.
    std::shared_ptr<MUDTrigger> m_trigger;
    QList<Highlight> m_highlights;
    CVRange m_range{CVRange::NotFound, 0};
    quint64 m_generation = 0;
};
