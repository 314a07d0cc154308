// Helpers shared by the unit tests: card records, files beside the test program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "card/sdt_buffer.h"

namespace vorn {

// Lays out a 256-byte UCS-2 text record the way a reader delivers it.
class RecordBuilder {
public:
    RecordBuilder();
    // Writes the text at the byte offset and pads the rest of the field with blanks.
    RecordBuilder& Put(int offset, int width, const std::u16string& text);
    // Copies the record into a raw card record with the given reported text length.
    void FillInto(CSdtBuffer& record, std::uint32_t text_length = 256) const;

private:
    unsigned char bytes_[256];
};

// Resident card of a made-up person, as laid out on the card.
RecordBuilder ResidentRecord();
// Foreigner's card of a made-up person.
RecordBuilder ForeignerRecord();
// Residence permit; the number's first two digits decide Hong Kong/Macau or Taiwan.
RecordBuilder PermitRecord(const std::u16string& number);

// The folder of the test program, where the program's own files are looked for.
std::filesystem::path TestProgramDirectory();
void WriteTextFile(const std::filesystem::path& path, const std::string& text);
// Whether two names spell the same folder, a trailing separator aside. Compared by name:
// Wine does not tell folders apart by identity.
bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b);
std::string ReadBinaryFile(const std::filesystem::path& path);
// UTF-16LE bytes (after a byte order mark) as UTF-8, with CR LF line ends made LF.
std::string Utf16LeToUtf8(const std::string& bytes);
// The wide text as UTF-8, for comparing with literals.
std::string Narrow(const wchar_t* text);

}  // namespace vorn
