// SPDX-License-Identifier: MIT
#include "windows_service.h"

#include "stop_request.h"

#ifdef Q_OS_WIN
#include <QCoreApplication>
#include <QDir>

#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#endif

#ifdef Q_OS_WIN

namespace {

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

QString system_message(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, int(length)).trimmed()
                             : QStringLiteral("error %1").arg(code);
    LocalFree(text);
    return message;
}

const wchar_t *const eventSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\nowplaying";

// The event log source, its messages in the program itself (a message table
// with one message that is the line as it stands).
bool register_event_source(const QString &program)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, eventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring file = wide(QDir::toNativeSeparators(program));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    const bool done =
        RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE *>(file.c_str()),
                       DWORD((file.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
        RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&types),
                       sizeof(types)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return done;
}

struct Handle {
    SC_HANDLE h = nullptr;
    ~Handle()
    {
        if (h)
            CloseServiceHandle(h);
    }
};

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status = {};
HANDLE started = nullptr; // the service's main function runs, or never will
HANDLE ended = nullptr;   // the program has reported its end

std::mutex statusLock; // the dispatcher's thread, the stop's and the main one

void set_state(DWORD state, DWORD waitHintMs = 0)
{
    const std::lock_guard<std::mutex> hold(statusLock);
    // Stopped is the last word: a late sign of progress never follows it.
    if (status.dwCurrentState == SERVICE_STOPPED && state != SERVICE_STOPPED)
        return;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWaitHint = waitHintMs;
    ++status.dwCheckPoint;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI on_control(DWORD control, DWORD, void *, void *)
{
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        // Sends in flight get their timeout, which a destination may set
        // far beyond any wait hint: the manager is told every 10 s that the
        // stop goes on, rather than left to take the service for hung.
        set_state(SERVICE_STOP_PENDING, 30000);
        static std::once_flag progress;
        std::call_once(progress, []() {
            std::thread([]() {
                while (WaitForSingleObject(ended, 10000) == WAIT_TIMEOUT)
                    set_state(SERVICE_STOP_PENDING, 30000);
            }).detach();
        });
        request_interruption();
        QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI service_main(DWORD, LPWSTR *)
{
    statusHandle = RegisterServiceCtrlHandlerExW(L"nowplaying", on_control, nullptr);
    if (statusHandle)
        set_state(SERVICE_RUNNING);
    SetEvent(started);
    // The manager ends the dispatcher once the service says it stopped.
    if (statusHandle)
        WaitForSingleObject(ended, INFINITE);
}

} // namespace

ServiceCall install_service(const ServiceSetup &setup)
{
    Handle manager{
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE | SC_MANAGER_CONNECT)};
    if (!manager.h)
        return {false, system_message(GetLastError()) +
                           QStringLiteral(" (run it in a prompt started as administrator)")};
    const std::wstring commandLine = wide(setup.commandLine);
    const std::wstring account = wide(
        setup.account.isEmpty() ? QStringLiteral("NT AUTHORITY\\LocalService") : setup.account);
    const std::wstring password = wide(setup.password);
    Handle service{CreateServiceW(manager.h, L"nowplaying", L"nowplaying-watch", SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr,
                                  nullptr, account.c_str(),
                                  setup.password.isEmpty() ? nullptr : password.c_str())};
    QString note;
    if (!service.h) {
        if (GetLastError() != ERROR_SERVICE_EXISTS)
            return {false, system_message(GetLastError())};
        // Installed before: its stations and options are the ones given now.
        service.h = OpenServiceW(manager.h, L"nowplaying", SERVICE_ALL_ACCESS);
        if (!service.h ||
            !ChangeServiceConfigW(
                service.h, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                commandLine.c_str(), nullptr, nullptr, nullptr, account.c_str(),
                setup.password.isEmpty() ? nullptr : password.c_str(), L"nowplaying-watch"))
            return {false, system_message(GetLastError())};
        note = QStringLiteral("updated");
    }
    SERVICE_STATUS state = {};
    const bool running =
        QueryServiceStatus(service.h, &state) && state.dwCurrentState != SERVICE_STOPPED;
    std::wstring description =
        wide(QStringLiteral("Makes a pass over the now-playing document at every change and sends "
                            "its text on air."));
    SERVICE_DESCRIPTIONW about = {&description[0]};
    ChangeServiceConfig2W(service.h, SERVICE_CONFIG_DESCRIPTION, &about);
    SC_ACTION restart[3] = {
        {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}};
    SERVICE_FAILURE_ACTIONSW failure = {};
    failure.dwResetPeriod = 24 * 3600;
    failure.cActions = 3;
    failure.lpsaActions = restart;
    if (!ChangeServiceConfig2W(service.h, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
        return {false, QStringLiteral("registered, but its recovery actions were not set: ") +
                           system_message(GetLastError())};
    // An exit status other than 0 is a failure too, not only a crash.
    SERVICE_FAILURE_ACTIONS_FLAG onError = {TRUE};
    ChangeServiceConfig2W(service.h, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onError);
    if (!register_event_source(QCoreApplication::applicationFilePath()))
        note += QStringLiteral("%1the event log source was not registered")
                    .arg(note.isEmpty() ? QString() : QStringLiteral("; "));
    return {true, note, running};
}

QString account_folder_problem(const QString &account, const QString &folder)
{
    const QString name = account.isEmpty() ? QStringLiteral("NT AUTHORITY\\LocalService") : account;
    const QString grant = QStringLiteral("icacls \"%1\" /grant \"%2:(OI)(CI)M\"")
                              .arg(QDir::toNativeSeparators(folder), name);
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring path = wide(QDir::toNativeSeparators(folder));
    const DWORD read =
        GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &descriptor);
    if (read != ERROR_SUCCESS)
        return QStringLiteral("its access list cannot be read (%1); if %2 cannot write there: %3")
            .arg(system_message(read), name, grant);
    // The account itself, and the groups every service account is in.
    QList<PSID> sids;
    BYTE accountSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof accountSid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountNameW(nullptr, wide(name).c_str(), accountSid, &sidSize, domain, &domainSize,
                           &use))
        sids << PSID(accountSid);
    QList<PSID> groups;
    for (const wchar_t *text : {L"S-1-1-0", L"S-1-5-11", L"S-1-5-32-545", L"S-1-5-6"}) {
        PSID sid = nullptr;
        if (ConvertStringSidToSidW(text, &sid))
            groups << sid;
    }
    // What the entries for those allow, less what they deny (an access
    // list in Windows' order has its denials first, so this is what an
    // access check finds); entries only for what the folder holds pass
    // the folder by. No access list at all lets everyone in.
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    ACCESS_MASK allowed = acl ? 0 : FILE_ALL_ACCESS, denied = 0;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void *entry = nullptr;
        if (!GetAce(acl, i, &entry))
            continue;
        const auto *header = static_cast<ACE_HEADER *>(entry);
        if (header->AceFlags & INHERIT_ONLY_ACE || (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
                                                    header->AceType != ACCESS_DENIED_ACE_TYPE))
            continue;
        // Both kinds have the mask, then the SID, at the same places.
        auto *const ace = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        const PSID aceSid = &ace->SidStart;
        bool ours = false;
        for (PSID sid : sids + groups)
            ours = ours || EqualSid(sid, aceSid);
        if (!ours)
            continue;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        (header->AceType == ACCESS_ALLOWED_ACE_TYPE ? allowed : denied) |= mask;
    }
    for (PSID sid : groups)
        LocalFree(sid);
    LocalFree(descriptor);
    const ACCESS_MASK needed = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE;
    if ((allowed & ~denied & needed) == needed)
        return QString();
    return QStringLiteral("%1 may not be able to read and write there (its access list does not "
                          "let it list the folder and create files in it); grant it with: %2")
        .arg(name, grant);
}

ServiceCall remove_service()
{
    Handle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    if (!manager.h)
        return {false, system_message(GetLastError()) +
                           QStringLiteral(" (run it in a prompt started as administrator)")};
    Handle service{
        OpenServiceW(manager.h, L"nowplaying", SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)};
    if (!service.h)
        return {false, system_message(GetLastError())};
    SERVICE_STATUS state = {};
    if (ControlService(service.h, SERVICE_CONTROL_STOP, &state))
        for (int waited = 0; waited < 30000 && state.dwCurrentState != SERVICE_STOPPED;
             waited += 250) {
            Sleep(250);
            if (!QueryServiceStatus(service.h, &state))
                break;
        }
    if (!DeleteService(service.h))
        return {false, system_message(GetLastError())};
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKey);
    return {true, QString()};
}

bool serve_service_control()
{
    started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The dispatcher holds its thread for as long as the service runs; the
    // program's event loop stays in the main thread.
    std::thread([]() {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t *>(L"nowplaying"), service_main},
                                        {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table))
            SetEvent(started); // not started by the service control manager
    }).detach();
    WaitForSingleObject(started, 30000);
    return statusHandle != nullptr;
}

void service_stopped(int exitStatus)
{
    if (!statusHandle)
        return;
    status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = DWORD(exitStatus);
    set_state(SERVICE_STOPPED);
    SetEvent(ended);
}

void report_event(EventLevel level, const QString &message)
{
    static HANDLE source = RegisterEventSourceW(nullptr, L"nowplaying");
    if (!source)
        return;
    const std::wstring text = wide(message);
    const wchar_t *strings[] = {text.c_str()};
    const WORD type = level == EventLevel::Error     ? EVENTLOG_ERROR_TYPE
                      : level == EventLevel::Warning ? EVENTLOG_WARNING_TYPE
                                                     : EVENTLOG_INFORMATION_TYPE;
    // Event 1 of the program's message table is "%1": the line itself.
    ReportEventW(source, type, 0, 1, nullptr, 1, 0, strings, nullptr);
}

#else

ServiceCall install_service(const ServiceSetup &)
{
    return {false, QStringLiteral("services are Windows': here the systemd units run the watcher "
                                  "(nowplaying-watch@.service, nowplaying-watch-group.service)")};
}

ServiceCall remove_service()
{
    return install_service({});
}

QString account_folder_problem(const QString &, const QString &)
{
    return QString();
}

bool serve_service_control()
{
    return false;
}

void service_stopped(int)
{
}

void report_event(EventLevel, const QString &)
{
}

#endif
