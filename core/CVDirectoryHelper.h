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
};
