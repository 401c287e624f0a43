// SPDX-License-Identifier: MIT
#pragma once

// How much of the system's change notifications this program's user holds
// (Linux: inotify instances and watches, across every process of the
// user), against the limits (fs.inotify.max_user_instances and
// max_user_watches). A watcher needs one instance, and a watch for each
// input, its folder and that folder's parent.
struct NotificationUse {
    long instances = -1; // -1: not known here (not Linux)
    long maxInstances = -1;
    long watches = -1;
    long maxWatches = -1;
};
NotificationUse notification_use();
