// The toolkit's messages while QApplication starts: held back until it has
// started, so that a start that fails can say why.
#ifndef STARTUPMESSAGES_H
#define STARTUPMESSAGES_H

// Holds the toolkit's messages from now on. If the toolkit cannot start (a
// fatal message, or one that QT_FATAL_WARNINGS or QT_FATAL_CRITICALS made
// fatal), the program ends with status 1, saying why: in one line of its own
// where it can tell why no display could be used, else in the toolkit's own
// messages, followed by why a platform plugin could not load. The program's
// name, as started, goes into the line's hints.
void holdStartupMessages(const char *programName);

// Passes every held message on with its type and category, and lets later
// ones flow as usual.
void releaseStartupMessages();

#endif
