// The tester's main function, run by the toolkit's start-up (and by tests).
#pragma once

int quenlorix_main();
