// What tests/floors/core/probe.h includes.
#pragma once
