// The setup tool's dialog as its logic sees it: a modal dialog built from
// the tool's template, whose controls are named by their template ids, and
// the few events the logic acts on.
#pragma once

#include "platform/types.hpp"

#include <cstddef>

namespace platform {

enum class DialogEvent {
    Init,  // the dialog and its controls exist; fill them
    Save,  // the "Save and Exit" button (id 1), also Enter
    Close, // the close box or Alt+F4; Escape is not an event
};

// Called for each event with the dialog's handle; the logic ends the dialog
// through endSetupDialog.
using DialogHandler = void (*)(void* context, NativeHandle dialog, DialogEvent event);

// Shows the modal dialog and returns the result given to endSetupDialog, or
// -1 when the dialog cannot be created.
int runSetupDialog(NativeHandle instance, DialogHandler handler, void* context);

void endSetupDialog(NativeHandle dialog, int result);

void setControlText(NativeHandle dialog, int id, const char* text);

// Shows a number as signed decimal text.
void setControlNumber(NativeHandle dialog, int id, int value);

// Copies at most capacity - 1 characters of an edit box into text, always
// terminated; returns the count copied.
std::size_t readControlText(NativeHandle dialog, int id, char* text, std::size_t capacity);

// Lets the user type at most count characters into an edit box.
void limitControlText(NativeHandle dialog, int id, int count);

void setControlChecked(NativeHandle dialog, int id, bool checked);
bool controlChecked(NativeHandle dialog, int id);

// The current directory in the platform's own form, terminated; returns its
// length, or 0 when it cannot be read or does not fit capacity - 1
// characters (text is then empty).
std::size_t currentDirectory(char* text, std::size_t capacity);

// A notice with an OK button, owned by the dialog, that waits until it is
// confirmed.
void showSetupNotice(NativeHandle dialog, const char* text, const char* caption);

// Renames from over to, replacing to in one step where the platform can;
// false on failure (to is then unchanged).
bool replaceFile(const char* from, const char* to);

// The name of the Folding@home client's service when the platform has a
// fixed one, else null: the name is then derived from the client's folder.
const char* fixedClientServiceName();

} // namespace platform
