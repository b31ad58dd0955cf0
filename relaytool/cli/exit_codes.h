// The exit codes of relaycfg, one per kind of outcome, so that scripts can tell them apart.
#pragma once

enum ExitCode : int {
    kExitOk = 0,
    kExitInternal = 1,       // an unexpected error inside relaycfg
    kExitUsage = 2,          // the command line is wrong (unknown command or option, bad port name)
    kExitTransfer = 3,       // a transfer with the repeater failed (or the port could not be opened)
    kExitUnsupported = 4,    // the device is not a supported repeater; nothing was read or written
    kExitVerify = 5,         // the image read back after a write differs from the one written
    kExitDiffer = 5,         // diff: the two images differ
    kExitFile = 6,           // a backup file is unreadable, damaged, foreign or cannot be written
    kExitRefused = 7,        // an edit or the resulting image is refused by the configuration rules
    kExitIncomplete = 8,     // plan apply stopped (q, or the end of its input) with units left
    kExitInterrupted = 130,  // stopped by Ctrl-C, SIGTERM or SIGHUP during a write (as a shell
                             // reports a program that SIGINT ended)
};
