"""The viewer's page in headless Chromium on the kit's viewer recording: pick two
channels through the filter, zoom in twice (Shift+drag, then the wheel) down to
the samples, and check that both plots drew and that the cursor readout shows a
sample the library reads at the time it names. The screenshot is kept in
$KV_TEST_ARTIFACTS (the build's tests/python/artifacts under ctest). Without
Chromium, its driver, selenium or uPlot the test skips, unless
KV_REQUIRE_BROWSER=1 (as under ctest) makes that a failure."""

import os
import pathlib
import shutil
import time

import numpy as np
import pytest

import kvdatareader
from kvdatareader.viewer import assets

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"


def _missing():
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "python3-selenium is not installed"
    for path in (CHROMIUM, DRIVER):
        if not shutil.which(path):
            return f"{path} is not installed"
    if assets.uplot_dir() is None:
        return "uPlot is not installed (npm ci)"
    return None


@pytest.fixture(scope="module")
def browser():
    missing = _missing()
    if missing:
        if os.environ.get("KV_REQUIRE_BROWSER") == "1":
            pytest.fail(missing + " (scripts/ensure-deps.sh and the build install it)")
        pytest.skip(missing)
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1400,1000", "--force-device-scale-factor=1"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    yield driver
    driver.quit()


def wait_for(condition, what, timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def plot_of(driver, name):
    return driver.find_element("xpath", f"//div[@class='plot'][div[@class='plot-title'][starts-with(., '{name}')]]")


def coloured_pixels(driver, plot, rgb):
    """Pixels of the plot's canvas within a few levels of the trace colour."""
    return driver.execute_script("""
        const canvas = arguments[0].querySelector('canvas');
        const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        let n = 0;
        for (let i = 0; i < pixels.length; i += 4)
          if (Math.abs(pixels[i] - arguments[1][0]) < 12 && Math.abs(pixels[i + 1] - arguments[1][1]) < 12
              && Math.abs(pixels[i + 2] - arguments[1][2]) < 12 && pixels[i + 3] > 200) n++;
        return n;""", plot, rgb)


def test_the_page_draws_two_channels_zoomed_in_twice_and_reads_out_a_sample(browser, served, files):
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
    from selenium.webdriver.common.keys import Keys

    driver = browser
    driver.get(served.url)
    boxes = wait_for(lambda: driver.find_elements("css selector", "#channels input"), "the channel list")
    assert len(boxes) == 4

    # The filter matches units and kinds too.
    driver.find_element("id", "filter").send_keys("bar")
    shown = [item.text for item in driver.find_elements("css selector", "#channels li:not(.hidden)")]
    assert len(shown) == 1 and shown[0].startswith("Pressure [bar]")
    driver.find_element("id", "filter").clear()
    driver.find_element("id", "filter").send_keys(" ")  # an input event with nothing to match on
    wait_for(lambda: len(driver.find_elements("css selector", "#channels li:not(.hidden)")) == 4, "all channels")

    driver.find_element("css selector", "#channels input[data-channel='0']").click()   # Voltage
    driver.find_element("css selector", "#channels input[data-channel='3']").click()   # Pressure
    voltage, pressure = plot_of(driver, "Voltage"), plot_of(driver, "Pressure")
    wait_for(lambda: voltage.get_attribute("data-mode") and pressure.get_attribute("data-mode"), "both drawings")

    # Zoom 1: Shift+drag over 5% of the width, from a fifth in (8 s to 10 s of 40).
    over = voltage.find_element("css selector", ".u-over")
    width, height = over.size["width"], over.size["height"]
    (ActionChains(driver).move_to_element_with_offset(over, int(-0.30 * width), 0).key_down(Keys.SHIFT)
     .click_and_hold().move_by_offset(int(0.05 * width), 0).release().key_up(Keys.SHIFT).perform())
    # Zoom 2: three notches of the wheel in the middle of the view.
    for _ in range(3):
        ActionChains(driver).scroll_from_origin(ScrollOrigin.from_element(over), 0, -100).perform()
    wait_for(lambda: voltage.get_attribute("data-mode") == "samples", "the samples of Voltage")
    view = driver.execute_script("return [state.view.t0, state.view.t1]")
    assert 7.5 < view[0] < view[1] < 10.5 and view[1] - view[0] < 1.5, view
    # The keys: - doubles the span around its middle, + halves it back, → pans a quarter.
    keyed = []
    for key in ("-", "+", Keys.ARROW_RIGHT, Keys.ARROW_LEFT):
        ActionChains(driver).send_keys(key).perform()
        keyed.append(driver.execute_script("return [state.view.t0, state.view.t1]"))
    span = view[1] - view[0]
    assert keyed[0] == pytest.approx([view[0] - span / 2, view[1] + span / 2])
    assert keyed[1] == pytest.approx(view) and keyed[3] == pytest.approx(view)
    assert keyed[2] == pytest.approx([view[0] + span / 4, view[1] + span / 4])
    wait_for(lambda: int(pressure.get_attribute("data-drawn") or 0) > 0, "Pressure's samples")

    wait_for(lambda: coloured_pixels(driver, voltage, (31, 119, 180)) > 200, "Voltage's trace")
    wait_for(lambda: coloured_pixels(driver, pressure, (214, 39, 40)) > 20, "Pressure's points")

    ActionChains(driver).move_to_element_with_offset(over, int(0.1 * width), int(0.1 * height)).perform()
    shown = wait_for(lambda: driver.find_elements("css selector", ".readout-value[data-channel='0']"),
                     "the readout of Voltage")[0]
    text, at = shown.text, float(shown.get_attribute("data-time"))
    assert text.startswith("Voltage: ") and " V at " in text, text
    value = float(text[len("Voltage: "):text.index(" V at ")])
    with kvdatareader.open(files / "viewer.kvd") as recording:
        values, times = recording["Voltage"].window(at, at + 0.0005)
    assert times[0] == at and values[0] == value
    assert view[0] <= at < view[1]

    artifacts = pathlib.Path(os.environ.get("KV_TEST_ARTIFACTS") or files)
    artifacts.mkdir(parents=True, exist_ok=True)
    assert driver.save_screenshot(str(artifacts / "viewer.png"))
    assert np.fromfile(artifacts / "viewer.png", np.uint8)[:4].tobytes() == b"\x89PNG"
