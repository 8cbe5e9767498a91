#pragma once

#include <QStringList>

#include "core/CVError.h"

// Folder listing. Any thread; no state.
class CVDirectoryHelper {
public:
    // Full paths of the immediate sub-folders of `folder`, sorted by name.
    // A folder that does not exist or cannot be read gives an empty list and
    // an error.
    static QStringList listFullDirectoriesInURL(const QString& folder, CVError* error = nullptr);
    // Copies a file, or a folder with everything in it, to `target`, which
    // must not exist yet (nothing is ever overwritten). Copies are writable
    // by their owner even when the source is read-only (compiled-in
    // resources). On failure what was copied so far stays and `error` says
    // what failed.
    static bool copyItem(const QString& source, const QString& target, CVError* error = nullptr);
};
