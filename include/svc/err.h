// Error reporting for the environment: every layer hands its problems to ERRerror, which
// formats them and passes the text to the installed reporter. Needs no X.
#pragma once

// Receives one formatted report. `text` has no trailing line end.
typedef void (*ERRreporter)(const char* reporter, int flag, int severity, const char* text);

// Formats the message (printf style) and hands it to the installed reporter; the default
// writes one line "reporter: message" to standard error. Dropped while ERRerror_squashed > 0.
void ERRerror(const char* reporter, int flag, int severity, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Installs a reporter (null restores the default) and returns the previous one.
ERRreporter ERRset_reporter(ERRreporter reporter);

// While above 0, reports are dropped. Callers raise it around a call and lower it after.
extern int ERRerror_squashed;
