// Reading the texts that come with hands-free events. The SDK hands a pointer to UTF-8 text; a
// text without a terminator, or no text at all, must not make the console read or show what was
// not sent.
#pragma once

#include "framework/CString.h"
#include "platform/Windows.h"

// Copies the event's text into `buffer` (zero-filled first): at most 259 bytes, always
// terminated. False when the event carries no text (a null pointer).
bool CopyEventText(LPARAM data, char (&buffer)[260]);

// The UTF-8 `text` as UTF-16, at most `capacity - 1` units (what a buffer of `capacity` units
// holds with its terminator); a longer text is cut without splitting a surrogate pair.
CString Utf8ToWide(const char* text, int capacity);

// Reports a dialer-state event to the handled-event observer from the handler that acts on it,
// with its data read as the console reads it for that code: the byte of codes 17 and 18, the
// text of codes 10, 11, 21 and 23 (no further than CopyEventText reads), and for other codes
// only whether there was data.
void ReportDialerStateEvent(WPARAM code, LPARAM data);
