// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The watcher as a Windows service: registered with the service control
// manager (started at boot without anyone logged on, as LocalService unless
// another account is named, started again by the system when it dies), its
// state reported to it while it runs, and its events in the Application
// event log. Elsewhere, registering says it is for Windows only and the
// rest does nothing.

// The service's name, and the event log source's.
inline const char *const serviceName = "nowplaying";

struct ServiceSetup {
    QString commandLine; // the program and its arguments, as Windows reads them
    QString account;     // empty: NT AUTHORITY\LocalService
    QString password;    // the account's, when it has one
};

// What the service control manager made of a call.
struct ServiceCall {
    bool done = false;
    QString said;         // why not, or a note worth knowing
    bool running = false; // an updated service runs on with what it was given before
};

// Registers the service (or updates it when it is there: its command line,
// account and start type), started automatically at boot, with the
// recovery actions: started again 5 s after it ends other than by a stop,
// three times, the count reset after a day. Registers the event log source
// too. Needs an administrator.
ServiceCall install_service(const ServiceSetup &setup);

// Empty when the access list of `folder` lets `account` (empty:
// NT AUTHORITY\LocalService) list it and create files in it, directly or
// through a group every service account is in (Everyone, Authenticated
// Users, Users, SERVICE); else what it lacks and the command that grants
// it. On other systems, always empty.
QString account_folder_problem(const QString &account, const QString &folder);

// Stops the service (waiting up to 30 s for its clean stop) and removes it,
// and the event log source.
ServiceCall remove_service();

// When the service control manager started the program: connects to it,
// reports the service running, and from then on takes its stop (and the
// system's shutdown) as a stop request. Returns false when the program was
// not started as a service.
bool serve_service_control();

// Reports the service stopped, with the program's exit status (not 0: it
// failed, and the recovery actions apply). Nothing when it is no service.
void service_stopped(int exitStatus);

enum class EventLevel { Information, Warning, Error };

// `message` in the Application event log under the source "nowplaying".
// Nothing where there is no event log.
void report_event(EventLevel level, const QString &message);
