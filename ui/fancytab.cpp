#include "fancytab.h"

#include <QWidget>

namespace {

constexpr int FadeInMs = 80;
constexpr int FadeOutMs = 160;

} // namespace

FancyTab::FancyTab(QWidget *tabBar)
    : QObject(tabBar)
    , tabBar(tabBar)
    , animator(this, "fader")
{
}

float FancyTab::fader() const
{
    return faderValue;
}

void FancyTab::setFader(float value)
{
    faderValue = value;
    tabBar->update();
}

void FancyTab::fadeIn()
{
    animator.stop();
    animator.setDuration(FadeInMs);
    animator.setEndValue(FadedIn);
    animator.start();
}

void FancyTab::fadeOut()
{
    animator.stop();
    animator.setDuration(FadeOutMs);
    animator.setEndValue(0.0f);
    animator.start();
}
