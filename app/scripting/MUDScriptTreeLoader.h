#pragma once

#include <memory>

class CVFolderTreeEntry;
class MUDConnection;

// Builds one script tree from a connection's folder on disk: a root folder
// named "Notes", "Aliases" or "Triggers", every sub-folder as a child folder
// (loaded the same way), then the records of each folder as leaves. The
// triggers root also holds the ".login" pseudo-trigger carrying the
// connection's stored login script. Unreadable folders just give fewer
// children. Main thread.
class MUDScriptTreeLoader {
public:
    static std::shared_ptr<CVFolderTreeEntry> loadTree(int entryType, const std::shared_ptr<MUDConnection>& connection);

    // Folders first, then leaves; each group by display name (localized,
    // without regard to case).
    static void sortEntries(CVFolderTreeEntry& folder);

private:
    static void loadEntries(const std::shared_ptr<CVFolderTreeEntry>& folder, int depth);
};
