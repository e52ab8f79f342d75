// The constant step tables that give normalised parameter values their musical meaning.
// Shared by the host texts, the engine's parameter mapping and the editor: declared once here.
#pragma once

#include <array>
#include <cstdint>

namespace kestrane {

// Ratio times 10: 1:1 .. 2:1 by 0.1, 2.2 .. 5 by 0.2, 5.5 .. 10 by 0.5, then 50:1.
inline constexpr std::array<int32_t, 37> RatioSteps = {
    10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
    22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42, 44, 46, 48, 50,
    55, 60, 65, 70, 75, 80, 85, 90, 95, 100,
    500};

// Attack times in units of 0.1 ms (0.5 .. 100 ms; the last entry, 120 ms, is never selected
// from a value inside 0..1).
inline constexpr std::array<int32_t, 99> AttackSteps = {
    5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
    22, 24, 26, 28, 30, 32, 34, 36, 38, 40,
    45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100,
    110, 120, 130, 140, 150, 160, 170, 180, 190, 200, 210, 220, 230, 240, 250,
    260, 270, 280, 290, 300, 310, 320, 330, 340, 350, 360, 370, 380, 390, 400,
    420, 440, 460, 480, 500, 520, 540, 560, 580, 600, 620, 640, 660, 680, 700,
    720, 740, 760, 780, 800, 820, 840, 860, 880, 900, 920, 940, 960, 980, 1000,
    1200};

// Release times in units of 10 ms (50 ms .. 5 s; the last entry, 5.2 s, is never selected
// from a value inside 0..1).
inline constexpr std::array<int32_t, 64> ReleaseSteps = {
    5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
    22, 24, 26, 28, 30, 32, 34, 36, 38, 40,
    45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100,
    110, 120, 130, 140, 150, 160, 170, 180, 190, 200,
    220, 240, 260, 280, 300, 320, 340, 360, 380, 400, 420, 440, 460, 480, 500, 520};

// Crossover split frequencies in Hz. Split point k (0, 1, 2) uses entries k .. k + 10.
inline constexpr std::array<int32_t, 13> CrossoverFreqSteps = {
    50, 80, 125, 200, 320, 500, 800, 1250, 2000, 3200, 5000, 8000, 12500};

}  // namespace kestrane
