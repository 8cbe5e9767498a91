#pragma once

#include <QList>
#include <memory>
#include <optional>

#include "core/CVRange.h"
#include "engine/automation/MUDJavascriptParameterSubstitution.h"

class MUDTrigger;

// One match of one trigger, handed from matching to running its script.
// `range` lies in the session's whole output; `parameterRanges` (one per
// group, regular-expression triggers only) are relative to the searched
// text. A plain value; any thread.
struct MUDTriggerProcessObject {
    std::shared_ptr<MUDTrigger> trigger;
    std::optional<MUDScriptParameters> parameters;
    std::optional<QList<CVRange>> parameterRanges;
    CVRange range;
};
