#pragma once
// The defaults shipped inside the client (server list, event sounds, background
// pictures, help page) are embedded as Qt resources under ":/defaults/". The
// install step copies every one that is missing from the data folder, under the
// same relative name ("join.wav" -> ":/defaults/join.wav" -> data folder/join.wav).
#include <QStringList>

// Registers the embedded files; safe to call more than once. Kept at global
// scope because the resource registration it wraps cannot be named from a
// namespace.
void koluInitResources();

// Relative names of the shipped files ("servers.txt", "join.wav", ...,
// "help/help.html"), sorted; registers the resources first.
QStringList koluShippedFiles();
