# Two entry points for a newcomer:
#   make demo  - install what is missing, build, measure the bundled sample
#   make test  - install what is missing, build, run every test
# and one for a release:
#   make package - the Debian package and the Windows archive, in dist/
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps compile demo test test-asan bench package package-deb package-windows clean

deps:
	@scripts/install-deps.sh

compile: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: compile
	@scripts/demo.sh $(BUILD)

test: compile
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="$(CMAKE_FLAGS) -DVELTO_SANITIZE=ON -DVELTO_BUILD_BENCH=OFF"

bench:
	$(MAKE) compile BUILD=build-release CMAKE_FLAGS="$(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release"
	@scripts/bench.sh build-release

# Release builds of both: dist/velto_VERSION_ARCH.deb (build-package/) and
# dist/velto-VERSION-windows.zip (build-win32/, build-win64/), VERSION being
# the one of project() in CMakeLists.txt.
package: package-deb package-windows

package-deb: deps
	@scripts/package-deb.sh $(CMAKE_FLAGS)

package-windows:
	@scripts/package-windows.sh

clean:
	rm -rf build build-asan build-release build-package build-win32 build-win64 dist
