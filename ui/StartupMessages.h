// The toolkit's messages while QApplication starts: held back until it has
// started, so that a start that fails can say why.
#ifndef STARTUPMESSAGES_H
#define STARTUPMESSAGES_H

// Holds the toolkit's messages from now on. If the toolkit cannot start (a
// fatal message), the program ends with status 1, saying why: in one line of
// its own where no display server could be reached, else in the toolkit's own
// messages, held and fatal, followed by why a platform plugin could not load.
void holdStartupMessages();

// Passes every held message on with its type and category, and lets later
// ones flow as usual.
void releaseStartupMessages();

#endif
