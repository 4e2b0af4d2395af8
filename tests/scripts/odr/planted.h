#pragma once
int CountA();
int CountB();
