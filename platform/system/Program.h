#pragma once
// Which of the two programs this translation unit is built for. Shared sources that
// behave differently in Install and Tolvane test kProgram at compile time.
namespace wi {
enum class ProgramKind { Install, Tolvane, Neutral };
#if defined(WI_PROGRAM_INSTALL)
inline constexpr ProgramKind kProgram = ProgramKind::Install;
#elif defined(WI_PROGRAM_TOLVANE)
inline constexpr ProgramKind kProgram = ProgramKind::Tolvane;
#else
inline constexpr ProgramKind kProgram = ProgramKind::Neutral;
#endif
inline constexpr bool kIsInstall = kProgram == ProgramKind::Install;
inline constexpr bool kIsTolvane = kProgram == ProgramKind::Tolvane;
}  // namespace wi
