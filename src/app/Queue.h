#pragma once

class frmMain;

// Lets files dropped on a mode's panel join that mode's queue.
void installQueueDrops(frmMain& form);
