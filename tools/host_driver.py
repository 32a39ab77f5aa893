"""The Linux host driven through WebKit's own WebDriver (WebKitWebDriver, Debian package
webkit2gtk-driver) by Debian's python3-selenium: used by the Linux host's tests, its benchmarks
and the map's capture (scripts/capture-map.py). Run with /usr/bin/python3."""
import shutil

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.remote.webdriver import WebDriver
from selenium.webdriver.support.wait import WebDriverWait
from selenium.webdriver.webkitgtk.options import Options
from selenium.webdriver.webkitgtk.service import Service


class HostDriver(WebDriver):
    """Debian's selenium talking to WebKitWebDriver, which starts the program (built with
    automation) with `env`; quit() ends the session and the driver. Selenium's own WebKitGTK
    class cannot hand the driver an environment, so this starts the driver service itself."""

    def __init__(self, program, env, log_path=None, args=()):
        if shutil.which("WebKitWebDriver") is None:
            raise RuntimeError("WebKitWebDriver is missing (Debian package webkit2gtk-driver)")
        self.service = Service(log_path=log_path, env=env)
        self.service.start()
        options = Options()
        # Selenium asks for "MiniBrowser" by default; the host names itself to the session.
        options.set_capability("browserName", "corvane-weather")
        options.binary_location = str(program)
        for argument in (*args, "--automation"):
            options.add_argument(argument)
        try:
            super().__init__(command_executor=self.service.service_url, options=options)
        except Exception:
            self.service.stop()
            raise

    def quit(self):
        # Ending the session closes the host's only window; WebKitWebDriver may then answer
        # that the window is gone. Either way the driver stops.
        try:
            super().quit()
        except WebDriverException:
            pass
        finally:
            self.service.stop()

    def wait_for(self, script, timeout=30, interval=0.25):
        """Polls `script` (a function body) until it returns a truthy value; returns that value."""
        return WebDriverWait(self, timeout, poll_frequency=interval).until(
            lambda driver: driver.execute_script(script), f"timed out waiting for: {script}")

    def click_at(self, x, y):
        """A real pointer click at viewport coordinates."""
        actions = ActionBuilder(self, duration=0)
        actions.pointer_action.move_to_location(int(x), int(y)).click()
        actions.perform()
