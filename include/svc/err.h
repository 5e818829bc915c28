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

// A blocking yes/no question: (title, printf format, ...) -> 1 for yes, 0 for no.
typedef int (*ERRyesno_handler)(const char* title, const char* format, ...);
// The out-of-memory choice: (message format, ...) -> 0 to exit, 1 to retry.
typedef int (*ERRoutofmem_handler)(const char* format, ...);

// Install the handlers that ask the user (null: no handler). Each returns the previous one.
ERRyesno_handler ERRset_yesno_dialog_handler(ERRyesno_handler handler);
ERRoutofmem_handler ERRset_outofmem_dialog_handler(ERRoutofmem_handler handler);
ERRyesno_handler ERRget_yesno_dialog_handler();
ERRoutofmem_handler ERRget_outofmem_dialog_handler();

// Reports that memory ran out. With an out-of-memory handler installed the user chooses:
// retry returns 1 (the caller tries again), exit ends the process with status 1. Without a
// handler the message is reported through ERRerror and 0 is returned (the caller gives up).
int ERRout_of_memory(const char* message);
