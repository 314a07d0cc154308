// Face names the font sets ask for, and the family names of the program's embedded fonts.
#pragma once

namespace vorn {

// System typefaces.
constexpr const wchar_t* kFaceXihei = L"华文细黑";
constexpr const wchar_t* kFaceHeiti = L"黑体";
constexpr const wchar_t* kFaceYaoti = L"方正姚体";

// The two faces that the embedded fonts stand for while they are registered.
constexpr const wchar_t* kFaceOcrNumbers = L"OCR-B-10 BT";
constexpr const wchar_t* kFaceCjkHei = L"方正黑体简体";

// The embedded fonts' own family names, as written in their name tables.
constexpr const wchar_t* kEmbeddedOcrFamily = L"VornId OCR";
constexpr const wchar_t* kEmbeddedCjkFamily = L"VornId Hei";

}  // namespace vorn
