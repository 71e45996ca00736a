// The class list: every actor class subsystem of the engine, registered into
// the engine core. Whatever loads actor files with the real classes (the
// engine, its tools and tests) calls InstallEngineClasses before it makes the
// actor system.
#pragma once

// Registers the class factory rows of every subsystem and installs the hooks
// through which the core calls them. Calling it again changes nothing.
void InstallEngineClasses();
