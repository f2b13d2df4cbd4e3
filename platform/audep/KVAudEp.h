// KVAudEp.dll: the maker's endpoint library. It tells registered callers when
// audio endpoints appear, disappear or change.
//
// Callbacks run on the library's own thread (one for all registrations),
// never on the caller's stack, and with the library's dispatch lock held:
//  - after KVUnregisterNotificationCallback returns, that callback is never
//    called again;
//  - a callback may register or unregister (itself included) from inside the
//    call; it must not wait for another thread that does either;
//  - unregistering never waits for the thread, so it is safe from DllMain.
#pragma once

#include <windows.h>

enum tagKVREGISTERNOTIFYPROCMSG : int {
    KVNOTIFY_ENDPOINT_ADDED = 0,
    KVNOTIFY_DEVICE_NOTICE = 1,     // something about the device that is not an endpoint change
    KVNOTIFY_ENDPOINT_REMOVED = 2,
    KVNOTIFY_ENDPOINT_CHANGED = 3,  // also sent when the library may have missed changes
};

enum tagKVAUDENDPOINTRESULT : int {
    KVAUDENDPOINT_OK = 0,
    KVAUDENDPOINT_INVALID_ARGUMENT = 1,  // null callback or null out handle
    KVAUDENDPOINT_INVALID_HANDLE = 2,    // not a live registration of this process
    KVAUDENDPOINT_OUT_OF_MEMORY = 3,
    KVAUDENDPOINT_FAILED = 4,            // the endpoint source or the thread could not be started
};

// arg: the index of the endpoint the notice is about, or ~0 when it names none.
// context: the value given at registration. The result is ignored.
typedef tagKVAUDENDPOINTRESULT(CALLBACK* PFNKVNOTIFYCALLBACK)(tagKVREGISTERNOTIFYPROCMSG msg, ULONGLONG arg,
                                                             ULONGLONG context);

// *phNotify is set to an opaque handle on success and to NULL on failure.
extern "C" tagKVAUDENDPOINTRESULT WINAPI KVRegisterNotificationCallback(PFNKVNOTIFYCALLBACK callback,
                                                                       ULONGLONG context, HANDLE* phNotify);
extern "C" tagKVAUDENDPOINTRESULT WINAPI KVUnregisterNotificationCallback(HANDLE hNotify);
