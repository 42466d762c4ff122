#pragma once

#include "credentials.h"

#include <QString>

// What the client says about itself in the header of every request. Its owner
// hands the transport a new value whenever one of them changes.
struct ClientFacts
{
    QString language;
    QString country;
    double devicePixelRatio = 1.0;
    bool debug = false;
    QString osName;
    QString cpu;
    // The stored login, null when there is none.
    Credentials storedCredentials;
};
