#pragma once

#include <QString>

// A stand-in for the system resolver, linked into catalogue tests so that no name
// lookup ever leaves the machine (the configured name server is not on loopback).
// It replaces getaddrinfo() for the whole test process:
//   numeric addresses and "localhost"  the system resolver, which answers locally;
//   "<ms>-<tag>.slow.test"             fails after <ms> milliseconds;
//   "<n>.loop.test"                    127.0.0.<n> after LoopDelayMs;
//   any other name                     fails at once.
namespace ResolverStub {

constexpr int LoopDelayMs = 100;

// Lookups of the name since the last reset().
int lookups(const QString &name);
// The most lookups that were under way at the same time since the last reset().
int maxInFlight();
int inFlight();
void reset();

} // namespace ResolverStub
