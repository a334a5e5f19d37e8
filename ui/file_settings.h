#pragma once

#include "engine/sync_settings.h"

// The main dialog's settings for a run that one of its system menu's dialogs asks for: the same file and code page,
// with the offset, number reduction, orientation switch, window and right-to-left fix off, since what the main
// dialog's fields hold is for Synchronize. The dialog then adds what it asks.
inline SyncSettings FileSettings(const SyncSettings& main) {
    SyncSettings run = main;
    run.m_nHours = 0;
    run.m_nMinutes = 0;
    run.m_nSeconds = 0;
    run.m_nMilliseconds = 0;
    run.m_nReduceNumber = 0;
    run.m_bSwitchOrientation = 0;
    run.m_bBetweenTimes = 0;
    run.m_rtlFix = RtlFixMode::kOff;
    return run;
}
