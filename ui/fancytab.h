#pragma once

#include <QIcon>
#include <QObject>
#include <QPropertyAnimation>
#include <QString>

// One entry of the tab bar. `fader` (0 to 40) is how far the hover highlight has
// faded in; the bar animates it and paints with it.
class FancyTab : public QObject
{
    Q_OBJECT
    Q_PROPERTY(float fader READ fader WRITE setFader)

public:
    static constexpr float FadedIn = 40;

    explicit FancyTab(QWidget *tabBar);

    float fader() const;
    void setFader(float value);
    void fadeIn();
    void fadeOut();

    QIcon icon;
    QString text;
    QString toolTip;
    bool enabled = true;

private:
    QWidget *tabBar;
    float faderValue = 0;
    QPropertyAnimation animator;
};
