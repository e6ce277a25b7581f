import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// First run. Until the full sign-in, domain and audio pages arrive this shows the
// brand, the sign-in message and the way into the app.
Item {
    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - 80, 460)
        spacing: DesignSystem.gutter

        BrandMark {
            size: 64
            Layout.alignment: Qt.AlignHCenter
        }
        DesignLabel {
            text: "Expertise,\nwithin reach."
            font.pixelSize: DesignSystem.headlineSize + 4
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        DesignLabel {
            text: "Your domain. The conversation.\nThe answer, ready when you need it."
            color: DesignSystem.muted
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        DesignLabel {
            visible: text.length > 0
            text: session.signInMessage !== undefined ? session.signInMessage : ""
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.gap
        }
        DesignButton {
            text: "Open Corvana"
            variant: "primary"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: DesignSystem.gap
            onClicked: session.finishOnboarding()
        }
    }
}
