// TRUE and FALSE of the windowing layer's BOOL, for the module's own code.
// The headers a host includes never use them: a host may bring macros of
// these names itself (glib, X11 toolkits, ...).
#pragma once

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
