#pragma once

// Who makes the program and where to reach them: shown in the About window and used by its links
// and by the donation prompt. A maintainer puts the real texts here, in this one place.

namespace wk::developer {

inline constexpr const char* kName = "The Wikabay Project";
inline constexpr const char* kTownAndCountry = "Manila, Philippines";
inline constexpr const char* kEmail = "wikabay@example.org";
inline constexpr const char* kWebsite = "https://www.example.org/wikabay/";
inline constexpr const char* kDonationPage = "https://www.example.org/wikabay/donate.html";

} // namespace wk::developer
