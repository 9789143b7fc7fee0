// The three fixed views a tour starts its series from, and the headless renderer's --home.
#pragma once

struct HomeView {
    double dCentreRe;
    double dCentreIm;
    double dSpan;  // extent along the shorter side of the picture
};

inline constexpr HomeView kHomeViews[] = {
    {-0.275, 0.735, 0.045},
    {-0.244, 0.705, 0.02},
    {-0.27, 0.795, 0.05},
};

inline constexpr int kHomeViewCount = static_cast<int>(sizeof(kHomeViews) / sizeof(kHomeViews[0]));
