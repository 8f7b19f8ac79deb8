// Opening a document in another application. The desktop picks the
// application by the file's type (xdg-open through Qt); the creator hooks
// still say which application the document is meant for, for the types
// that have one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/core/file_records.h"

// A creator hook: the creator to open a file of `type` with (or `creator`
// unchanged).
using CreatorHook = OSType (*)(OSType type, OSType creator);
// 'TEXT' goes to 'MOSS', resp. 'MSIE'; '8BPS' goes to '8BIM'.
OSType MyNavigCreator(OSType type, OSType creator);
OSType MyExplorCreator(OSType type, OSType creator);
OSType MyPhotoshopCreator(OSType type, OSType creator);

// Opens the file in the desktop's application for it: 0, or -43 when the
// file does not exist or no application takes it. `searchServers` is not
// used. *usedCreator (when given) receives the creator the hook chose.
OSErr LaunchTheDocument(const fichier* file, int16_t searchServers, CreatorHook hook,
                        OSType* usedCreator = nullptr);
// how 0: ask for a file first, then as 3; 1: the first hook (navigator);
// 2: the second (explorer); 3: the first, then the second when it fails;
// 4: the image-editor hook. Other values do nothing and answer 0.
OSErr DoLaunch(int16_t how, fichier* file);

// Replaces the desktop opener (tests): true when the document was opened.
// An empty function restores the desktop's.
void SetDocumentOpener(std::function<bool(const std::string& posix)> opener);
