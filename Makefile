# Two commands: `make demo` runs the product end to end, `make test` builds
# and runs the test suite. Both install what they need first.
.PHONY: demo test bench build clean

demo:
	tools/demo.sh

test:
	tools/test.sh

bench:
	tools/bench.sh

build:
	tools/install-deps.sh
	tools/build.sh

clean:
	rm -rf build
