// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// A watcher's claim on a configuration folder, held for as long as it runs:
// two watchers on one folder would make every pass twice and send every
// text twice. An advisory lock, as the pass lock is, on the folder itself
// (Linux) or on a byte of its settings.txt far from the pass lock's
// (Windows), released with the process however it ends; nothing is
// created. A folder that does not exist (yet) is not claimed.
class FolderClaim {
public:
    explicit FolderClaim(const QString &folder);
    ~FolderClaim();
    FolderClaim(const FolderClaim &) = delete;
    FolderClaim &operator=(const FolderClaim &) = delete;

    // Another process holds the claim.
    bool taken() const
    {
        return taken_;
    }

private:
    qintptr handle_ = -1;
    bool taken_ = false;
};
