#pragma once
// Initial data: the schools and accounts every data folder starts with, and
// the demo tree (--seed demo).
namespace seed {

// Schools 1001 and 1002 and the accounts demo, teacher, admin and student;
// only on a data folder without accounts.
void base();
// A realistic disk for school 1001 (and a little for 1002), once.
void demo();

} // namespace seed
