# Two commands: `make demo` runs the product end to end, `make test` builds
# and runs the test suite. Both install what they need first.
.PHONY: demo test build clean

demo:
	tools/demo.sh

test:
	tools/test.sh

build:
	tools/install-deps.sh
	tools/build.sh

clean:
	rm -rf build
