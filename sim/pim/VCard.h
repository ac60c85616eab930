// Contacts from vCard files (versions 2.1 and 3.0, as phones export them; 4.0 is read the same
// way where it agrees).
//
// Read: BEGIN:VCARD / END:VCARD, VERSION, FN (else N, as "Prefix Given Middle Family Suffix"),
// TEL with its types HOME, WORK, CELL as TYPE=... parameters or 2.1's bare ones
// (TEL;CELL;VOICE:...); folded lines (a line starting with a blank continues the one before);
// ENCODING=QUOTED-PRINTABLE (or bare QUOTED-PRINTABLE) with its soft line breaks; CHARSET=UTF-8
// and ISO-8859-1; 3.0's backslash escapes; group prefixes (item1.TEL). Every other property is
// skipped, and so are FN, N and TEL values in another encoding or charset.
//
// TEL numbers go to the contact's three numbers: CELL, HOME and WORK to their own field, a TEL
// without one of these types to the first empty of cell, home, work; FAX and PAGER numbers and
// numbers whose field is already taken are dropped.
#pragma once

#include "sim/pim/Contacts.h"

#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

struct VCardParse {
    std::vector<ContactFields> contacts; // in file order; empty when the text is malformed
    int line = 0;                        // 1-based line of the first problem; 0 when none
    std::string problem;                 // what is wrong there
};

// Reads every vCard of `text`, at most `maxContacts` of them. Malformed: a line without ':'
// inside a card, a property outside a card, BEGIN:VCARD inside a card, END:VCARD outside one, a
// card without END:VCARD, a version other than 2.1, 3.0 or 4.0, a bad quoted-printable escape, a
// name or number that is not valid UTF-8 or that holds a control character once decoded (C0,
// DEL, C1; 3.0's \n escape reads as a blank, since a name or number is one line), more than
// `maxContacts` cards.
VCardParse ParseVCards(std::string_view text, std::size_t maxContacts = kMaxPhonebook);

} // namespace kobalt::sim
